// Placeholder until the curl layer lands.
