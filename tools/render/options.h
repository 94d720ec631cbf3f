#pragma once

// scanweaver-render's command line.

#include <string>

#include "tools/render/image_files.h"

struct Options {
    double time = 0.0;
    bool haveTime = false;
    long benchFrames = 0;  // 0: no --bench
    bool depthView = false;
    bool asShown = false;
    bool quiet = false;
    bool stages = false;  // --bench also reports each path's stage figures
    std::string model;    // the OBJ file to load
    bool modelGiven = false;
    OutputFile out;
    OutputFile depthOut;
};

// Reads the command line. --help and --version print on standard output and
// end the process with status 0; a wrong argument prints what is wrong with
// it and the usage on standard error and ends the process with status 2.
Options parseOptions(int argc, char** argv);
