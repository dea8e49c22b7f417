// Key-handle completion shared by the functions that make a session key.
#pragma once

#include <quorsdf.h>

#include <string_view>

#include "commands/Exchange.h"
#include "sdf/Handles.h"

// A null *phKeyHandle receives a new session key holding lmkCipher; a handle
// whose first four bytes hold a slot index has the key stored in that slot.
// Failures end the call with their code.
void CompleteKeyHandle(Quor::Commands::Call& call, Quor::Sdf::SdfSession& session, std::string_view lmkCipher,
                       SGD_HANDLE* phKeyHandle);
