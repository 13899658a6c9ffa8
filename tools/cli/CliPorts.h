// How `ports` prints what discovery (station/UPortList.h) found.
#pragma once

#include "UPortList.h"

#include <cstdio>
#include <string>

// The port's line as `ports` prints it; every port, or the line that says there is none.
std::string DescribePort(const TSerialPortInfo &Port);
void PrintPorts(const std::vector<TSerialPortInfo> &Ports, FILE *To);
