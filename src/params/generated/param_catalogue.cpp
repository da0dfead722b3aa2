// param_catalogue.cpp: being written.
