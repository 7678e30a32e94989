// A verb's notes and failure for whoever started the program: its standard handles, else the parent's console.
#pragma once
#include <string>

#include "../../framework/CHandle.h"

// vextor.exe is a windowed program: started from a console it gets no console of its own. Output
// that was redirected (a script, `start /wait ... > file`) arrives as inherited standard handles;
// otherwise the text goes to the console of the program that started it, if there is one.
class ConsoleReport {
public:
    ConsoleReport();
    ~ConsoleReport();
    ConsoleReport(const ConsoleReport&) = delete;
    ConsoleReport& operator=(const ConsoleReport&) = delete;

    void Note(const std::wstring& text) { Write(out, text); }
    void Failure(const std::wstring& text) { Write(err, text); }

private:
    static void Write(HANDLE handle, const std::wstring& text);

    HANDLE out = nullptr;  // not owned: a standard handle or `console`
    HANDLE err = nullptr;
    CHandle console;  // the parent's console output, when attached to it
    bool attached = false;
};
