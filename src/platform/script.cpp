// script.cpp: being written.
