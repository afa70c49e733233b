// Root of the program's polymorphic objects: owners keep them in a CObjArray and delete them
// through a CZorObj pointer, so the destructor is the one virtual operation every object shares.
#pragma once

class CZorObj
{
public:
    CZorObj() = default;
    virtual ~CZorObj() = default;
};
