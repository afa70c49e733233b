// String-table entry of a stored image written to a file (core/blob.h WriteStoredImageFile), the
// same in both programs' string tables (their resource scripts include imagefile.rc).
#pragma once

#define IDS_IMAGE_NOT_SAVED 1280  // "%s": the file, "%s": the system's reason
