// fonts_test.cpp: being written.
