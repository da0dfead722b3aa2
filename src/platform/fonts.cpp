// fonts.cpp: being written.
