// placeholder until the first source lands
