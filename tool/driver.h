// The driver: declares the option table, parses the command line and runs every
// command given, in one fixed order.
#pragma once

// Throws the message of the first failure.
void run(int argc, const char* const* argv);
