// file_errors.h: result codes of file, resource, clipboard and printing operations as texts
// for the user.
#pragma once

#include <cstdint>
#include <string>

#include "model/model_services.h"

// The message shown when a piece does not fit into the node store.
void out_of_memory_alert();
