// The headers of the shared precompiled test header are compiled through this file (see
// tidewell_test_headers in cmake/Testing.cmake); it has no code of its own.
