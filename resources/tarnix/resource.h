// Resource identifiers of the database utilities program.
#pragma once

#define IDS_T_ERROR_CAPTION    200
#define IDS_T_ALREADY_RUNNING  201
