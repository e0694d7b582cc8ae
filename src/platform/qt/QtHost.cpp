// Placeholder until the Qt host lands.
