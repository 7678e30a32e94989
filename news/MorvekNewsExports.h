// The six functions the host program calls; 32-bit integers in and out, nothing owned across.
#pragma once
#include "../framework/Afx.h"

extern "C" {
int WINAPI MorvekNewsInit();
int WINAPI MorvekNewsClose();
int WINAPI MorvekNewsShow(int force);
int WINAPI MorvekNewsConfig();
int WINAPI MorvekNewsGetShowNewsFlag();
int WINAPI MorvekNewsSetShowNewsFlag(int value);
}
