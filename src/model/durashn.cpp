// durashn.cpp: being written.
