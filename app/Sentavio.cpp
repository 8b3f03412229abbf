#include "PowerCheckApp.h"

// The one application object; the framework's entry finds it at start-up.
CPowerCheckApp theApp;
