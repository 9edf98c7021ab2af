// One place for the program's version; the resource script and the code read it from here.
#pragma once

#define MC_VERSION_MAJOR 1
#define MC_VERSION_MINOR 0
#define MC_VERSION_PATCH 0
#define MC_VERSION_TEXT "1.0.0"
#define MC_PRODUCT_NAME "MachineCodes"
#define MC_DESCRIPTION "Shows this machine's adapter address, IP addresses, processor and disk serial"
