// dialogs_test.cpp: being written.
