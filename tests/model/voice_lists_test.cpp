// voice_lists_test.cpp: being written.
