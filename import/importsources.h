// The real import sources of Tarnix, registered with SetImportSourceCreator once at start-up.
#pragma once

void RegisterImportSources();
