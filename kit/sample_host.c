/* The smallest host of MorvekNews.dll, linked with its import library: it fetches the news and shows
 * the news window when new messages are due, as a configuration program does when it starts, and
 * prints what each function returned. "sample_host force" shows the window in any case. */
#include <stdio.h>
#include <string.h>

#include "MorvekNews.h"

int main(int argc, char** argv)
{
    const int force = argc > 1 && strcmp(argv[1], "force") == 0;
    /* Calls come from this thread, the one that loaded the library with the program. */
    printf("MorvekNewsInit: %d\n", MorvekNewsInit());
    fflush(stdout);
    printf("MorvekNewsShow: %d\n", MorvekNewsShow(force));
    printf("MorvekNewsGetShowNewsFlag: %d\n", MorvekNewsGetShowNewsFlag());
    printf("MorvekNewsClose: %d\n", MorvekNewsClose());
    return 0;
}
