// The program file named by a service's image path, without its arguments.
#pragma once
#include <string>

class ImagePathProgram {
public:
    // `"C:\Program Files\Vextor\vextor.exe" --service` gives the quoted part; an unquoted path
    // ends after its ".exe". Empty when neither is found: nothing is started from a guess.
    static std::wstring Of(const std::wstring& imagePath);
};
