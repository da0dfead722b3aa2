// dialogs.cpp: being written.
