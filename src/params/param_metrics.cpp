// param_metrics.cpp: being written.
