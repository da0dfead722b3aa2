// cursors.cpp: being written.
