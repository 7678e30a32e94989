// Base of the framework's exceptions; the window procedure reports them in a message box.
#pragma once
#include <stdexcept>
#include <string>

class CException : public std::runtime_error {
public:
    explicit CException(const std::string& message) : std::runtime_error(message) {}
    // Shows the error to the user; the handler that threw has been abandoned.
    virtual void ReportError() const;
};
