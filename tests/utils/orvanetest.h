#pragma once
// Shared by the test and benchmark hosts that load the program's documents in their own process:
// the application identity exactly as the program sets it (setOrvaneIdentity).
#include "../../app/identity.h"
