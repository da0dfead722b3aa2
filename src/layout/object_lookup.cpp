// object_lookup.cpp: being written.
