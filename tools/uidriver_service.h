// The UI driver's service and pipe commands: the service manager's state, a pipe's descriptor, readers and squatters.
#pragma once
#include <istream>
#include <string>

// True when `command` is one of these; `answer` is then its answer line.
bool ServiceCommand(const std::string& command, std::istream& in, std::string& answer);
