Tresorin=1.0.0.0
Date=2026-12-10
