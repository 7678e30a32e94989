// Start-up and release of Windows Sockets 1.1 for the framework's sockets.
#pragma once

// Asks for version 1.1 and accepts exactly 1.1; anything else releases the layer and fails.
bool AfxSocketInit();
void AfxSocketTerm();
