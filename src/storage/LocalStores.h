#pragma once

#include <string>

class CAppContext;

// The two stores of the program directory taken together.
class CLocalStores {
public:
    // Opens and closes Storage/blog.db and Storage/rss.db of the context's program directory,
    // which creates a missing file and gives every file the tables and indexes it lacks. Run at
    // program start, after the directory is prepared. 1 on success; 0 with the store's error.
    static int CreateStores(const CAppContext& context, std::string& error);
};
