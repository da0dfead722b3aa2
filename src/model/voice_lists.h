// voice_lists.h: voice lists as the current notation context sees them.
#pragma once

// The name of notation context n (entry n of ncontext_name).
const char* ncontext_name_of(int n);
