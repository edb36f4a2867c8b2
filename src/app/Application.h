#pragma once

// The entry function: the command line, one running instance per session, the owner's
// launch, the event loop and a clean exit.
namespace Application {
int run(int argc, char** argv);
}
