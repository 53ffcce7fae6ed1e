// A library with no plug-in in it: the discovery tests need files that look
// like plug-ins by name, with another type in their version resource or none.
int vkStubLibrary;
