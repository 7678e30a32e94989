// Texts of the link label: the ".htm" command line for a target and the open-error messages.
#pragma once
#include <cstddef>
#include <optional>
#include <string>

class LinkText {
public:
    // Longest command line the label hands to the system.
    static constexpr std::size_t COMMAND_LIMIT = 2048;

    // The registered command cut at its "%1" placeholder (quoted or not), a blank, then the
    // target unquoted; nothing when the line would be longer than COMMAND_LIMIT.
    static std::optional<std::string> HtmCommandLine(const std::string& command, const std::string& target);
    // "Unable to open hyperlink:" and the reason for the shell's or WinExec's result code.
    static std::string OpenErrorMessage(int code);
};
