type point as object (
  x number,
  y number,
  member function dist(p point) return number,
  static function origin return point
)
