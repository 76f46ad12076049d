#pragma once

#include "platform/Outcome.h"

// How a step of an export ended (a backup written or read, a preview rendered, a book
// compiled): done, or the reason it was not.
using ExportResult = Outcome;
