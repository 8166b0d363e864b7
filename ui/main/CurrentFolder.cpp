#include "ui/main/CurrentFolder.h"

// The class is all in its header; this file gives it its meta-object.
#include "moc_CurrentFolder.cpp"
