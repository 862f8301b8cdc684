// The game in a desktop window (front end to come).
