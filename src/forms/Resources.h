/* Resource identifiers, shared by vo.rc and the C++ code: plain macros only. */
#pragma once

/* The lowest icon id: Explorer shows this one for vo.exe. */
#define IDI_APP 1

#define IDB_LOGO 100
