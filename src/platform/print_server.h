// print_server.h: whether a print server might answer, asked without the toolkit's printing
// library (C library calls alone: the program's launcher asks it too).
#pragma once

// Whether a print server might answer at all. Asking the toolkit for printers loads its
// printing plug-in and the print system's client library with some twenty libraries of its
// own: a tenth of printing a small piece to a PDF file. The client finds its server by
// settings (its environment and client files, a default printer chosen by the user), else at
// the local server's socket, else at the local host's printing port; where none of them is
// there, no printer can be asked for or printed to. A port that neither takes nor refuses the
// connection at once is taken for a server.
bool print_server_may_answer();
