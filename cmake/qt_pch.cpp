// The target that builds the Qt Widgets precompiled header needs one source of its own.
