Base de dados de demonstração (arquivo de teste).
