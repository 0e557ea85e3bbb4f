#pragma once

class Accessibility;
class Settings;
class SpaceEngine;
class SpaceStore;
class Updates;

// The shared objects the settings window and its pages read and change,
// handed down from the window to each page. The application builds it once
// from the process-wide instances; tests build it the same way on their
// fresh ones.
struct SettingsServices {
    SpaceEngine& engine;
    Settings& settings;
    SpaceStore& store;
    Accessibility& access;
    Updates& updates;

    // The process-wide instances; for start-up and tools only.
    static SettingsServices shared();
};
