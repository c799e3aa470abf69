// SPDX-License-Identifier: MIT
#pragma once
// The names of hidden temporary files, removed by SIGINT, SIGTERM and SIGHUP before those
// signals do what they did before, so that a stopped run leaves no such file behind.

#include <csignal>
#include <string>

// Adds name to the names removed on a signal, installing the handler with the first one. Any
// number of names, of any length, may be held at once.
void RegisterHidden(const std::string& name);

// Takes name out again; with the last one gone, the signals get back their earlier actions.
void UnregisterHidden(const std::string& name);

// Keeps the cleanup signals out while a name comes into being and is registered, so that the
// handler never misses a file that already exists.
class TSignalsHeld {
public:
    TSignalsHeld();
    ~TSignalsHeld();
    TSignalsHeld(const TSignalsHeld&) = delete;
    TSignalsHeld& operator=(const TSignalsHeld&) = delete;

private:
    sigset_t Old;
};
