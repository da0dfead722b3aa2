// param_lookup_bench.cpp: being written.
