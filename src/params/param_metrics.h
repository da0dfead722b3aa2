// param_metrics.h: being written.
