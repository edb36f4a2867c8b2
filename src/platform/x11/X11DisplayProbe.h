#pragma once

#include <QString>

// Whether the X server in DISPLAY accepts a connection, asked before Qt opens it: Qt
// would end the program with an English message and a core dump. Empty when it does,
// else what happened, in Chinese.
QString x11DisplayProblem();
