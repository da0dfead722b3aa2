// text_encoding.cpp: being written.
