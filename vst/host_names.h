// Host identification by product name. Only the table's order matters to the
// result: the first name found anywhere in the lower-cased product string
// decides, so overlaps ("cubase" before "nuendo", the catch-all "digital"
// late) resolve the same way for every host.
#pragma once

struct HostNameEntry {
    const char* text;  // lower case
    int hostId;
};

// The table in search order.
const HostNameEntry* HostNameTable();
int HostNameTableSize();

// The host number for a product string (any case); 0 when nothing matches
// or the string is empty or null.
int HostIdFromProductName(const char* productString);
