/* The module target's own translation unit: the code lives in the core
   library, pulled in whole; only the entry point is exported (exports.map). */
