// The precompiled headers of the Windows programs' own code are compiled through this file
// (cmake/ProductHeaders.cmake); it has no code of its own.
