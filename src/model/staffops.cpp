// staffops.cpp: being written.
