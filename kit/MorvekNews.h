/* MorvekNews.dll: the six functions a host program calls. Each takes and returns 32-bit integers and
 * uses the Windows API calling convention (__stdcall: a function with an argument removes it from the
 * stack). The names are exported undecorated, with the ordinals given. Call them from the thread that
 * loaded the library (see the kit's README.md). */
#ifndef MORVEKNEWS_H
#define MORVEKNEWS_H

#ifdef __cplusplus
extern "C" {
#endif

#ifndef MORVEKNEWS_API
#define MORVEKNEWS_API __declspec(dllimport)
#endif

/* Ordinal 1. Reads the settings and stored messages, then fetches the news list (blocks, servicing the
 * thread's window messages meanwhile). 0 when done, also when the server could not be reached; 2 when
 * no memory was available for the connection. */
MORVEKNEWS_API int __stdcall MorvekNewsInit(void);

/* Ordinal 2. Always 0; changes nothing. */
MORVEKNEWS_API int __stdcall MorvekNewsClose(void);

/* Ordinal 3. force = 0: shows the news window only when new messages are due; nonzero: always.
 * 0 when the window was shown and closed with its "Zamknij" button or Enter; 1 otherwise. */
MORVEKNEWS_API int __stdcall MorvekNewsShow(int force);

/* Ordinal 4. Runs the server configuration dialog. 0 when closed with OK; 1 otherwise. */
MORVEKNEWS_API int __stdcall MorvekNewsConfig(void);

/* Ordinal 5. The don't-show flag: 1 = the news window is not shown automatically. */
MORVEKNEWS_API int __stdcall MorvekNewsGetShowNewsFlag(void);

/* Ordinal 6. Stores the don't-show flag as given (only 1 suppresses the window) and writes it to the
 * registry at once. Returns the value given; hosts need not look at it. */
MORVEKNEWS_API int __stdcall MorvekNewsSetShowNewsFlag(int value);

#ifdef __cplusplus
}
#endif

#endif
