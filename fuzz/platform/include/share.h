// Native stand-in for the runtime header of the same name.
#pragma once

#include "dossiq_crt.h"
