#pragma once

// The entry function: constants, start line, settings store, event loop, clean exit.
namespace Application {
int run(int argc, char** argv);
}
