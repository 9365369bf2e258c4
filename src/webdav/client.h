// A small WebDAV client over libcurl: connection options, a reachability
// check and an upload from a stream.
#pragma once
