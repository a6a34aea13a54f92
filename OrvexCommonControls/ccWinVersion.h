// Version of the running Windows, read from the kernel rather than the compatibility layer.
#pragma once

void GetWinVersion(int& major, int& minor);
int GetWinMajorVersion();
bool IsWindowsVistaUp();
