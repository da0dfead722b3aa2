// text_encoding_test.cpp: being written.
